-- String-keyed arrays as records: each pass builds a record with literal
-- keys, reads and updates its fields by key, and adds it up by category.
local n = tonumber(arg[1]) or 200000
local names = {"alpha", "beta", "gamma", "delta", "omega"}
local sums = {}
for k = 1, 5 do
  sums[names[k]] = 0
end
local total = 0
for i = 0, n - 1 do
  local r = {id = i, qty = i % 7 + 1, price = i % 100, cat = names[i % 5 + 1]}
  r.total = r.qty * r.price
  if r.total > 300 then
    r.total = r.total - 100
  end
  sums[r.cat] = (sums[r.cat] + r.total) % 1000003
  total = (total + r.id % 10) % 1000003
end
for k = 1, 5 do
  total = (total + sums[names[k]] * k) % 1000003
end
print(total)
